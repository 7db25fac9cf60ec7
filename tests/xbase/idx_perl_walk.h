// Walks of IDX files through Perl's DBD-XBase, shared by the tests that
// have it read the indexes we write: XBase::Index for standard IDX files,
// and its compound-index node decoding, pointed at a single compact IDX, for
// compact ones. Each walk prints "hex(key)\trecord" or "%.17g\trecord".
#pragma once
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/command_output.h"

namespace kvtest {

// The walk of a compact IDX through DBD-XBase's compact-node decoding.
inline constexpr char kCompactWalk[] = R"PERL(
use strict;
use XBase::Index;
package OneCompactIdx;
our @ISA = ('XBase::cdx');
sub read_header {
  my ($self, %opts) = @_;
  my $h;
  $self->{'fh'}->read($h, 1024) == 1024 or return;
  @{$self}{qw(start_page start_free_list total_pages key_length)} = unpack 'VVVv', $h;
  $self->{'key_record_length'} = $self->{'key_length'} + 4;
  $self->{'record_len'} = 512;
  $self->{'header_len'} = 0;
  $self->{'start_page'} /= 512;
  $self->{'total_pages'} = -1;
  $self->{'key_type'} = ($opts{'type'} eq 'N') ? 1 : 0;
  $self;
}
sub OneCompactIdx::Page::new { XBase::cdx::Page::new(@_) }
package main;
my $i = OneCompactIdx->new($ARGV[0], 'type' => $ARGV[1]) or die XBase::Index->errstr;
$i->prepare_select;
while (my ($k, $v) = $i->fetch) { print_entry($k, $v); }
)PERL";

inline constexpr char kStandardWalk[] = R"PERL(
use strict;
use XBase::Index;
my $i = XBase::Index->new($ARGV[0], 'type' => $ARGV[1]) or die XBase::Index->errstr;
$i->prepare_select;
while (my ($k, $v) = $i->fetch) { print_entry($k, $v); }
)PERL";

// Character keys as hex without trailing blanks (the compact reader drops
// the pad bytes a trailing count stands for), numbers with 17 digits.
inline constexpr char kPrint[] = R"PERL(
sub print_entry {
  my ($k, $v) = @_;
  if ($ARGV[1] eq 'N') { printf("%.17g\t%d\n", $k, $v); return; }
  $k =~ s/ +$//;
  printf("%s\t%d\n", unpack("H*", $k), $v);
}
)PERL";

// Writes `script` into `dir` and runs it with `args`.
inline std::vector<std::string> RunPerl(const std::string& script,
                                        const std::vector<std::string>& args,
                                        const std::string& dir) {
  const std::string file = dir + "/oracle.pl";
  {
    std::ofstream out(file);
    out << script;
  }
  std::string command = "/usr/bin/perl '" + file + "'";
  for (const auto& a : args) command += " '" + a + "'";
  command += " 2>&1";
  return CommandLines(command);
}

}  // namespace kvtest
