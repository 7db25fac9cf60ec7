#!/usr/bin/perl
# Reads a DBF file with Perl's DBD-XBase (XBase.pm) and prints every present
# record in the canonical line form of scripts/oracles/read_written.py.
# Exits with 3 when XBase.pm refuses the file.
#
# usage: read_written.pl FILE
use strict;
use warnings;
use XBase;

my $table = XBase->new(name => $ARGV[0], ignorememo => 1);
if (!$table) {
  print STDERR "DBD-XBase refused $ARGV[0]: " . XBase->errstr . "\n";
  exit 3;
}
my @names = $table->field_names;
my @types = $table->field_types;
my @decimals = $table->field_decimals;
for my $r (0 .. $table->last_record) {
  my ($deleted, @values) = $table->get_record($r);
  next if $deleted;
  my @out;
  for my $i (0 .. $#names) {
    my ($v, $t, $d) = ($values[$i], $types[$i], $decimals[$i] || 0);
    if (!defined $v || $t eq 'M') { push @out, ''; next; }
    if ($t eq 'C') { $v =~ s/ +$//; push @out, $v; }
    elsif ($t eq 'N' || $t eq 'F') { push @out, ($v =~ /^\s*$/ ? '' : sprintf("%.*f", $d, $v)); }
    elsif ($t eq 'D') { $v =~ s/\s+//g; push @out, $v; }
    elsif ($t eq 'L') { push @out, ($v ? 'T' : 'F'); }
    else { push @out, $v; }
  }
  print join('|', @out), "\n";
}
