{ MDX files through Free Pascal's TDbf (fp-units-db), an independent reader
  and writer of the dBASE IV multiple index layout.

  usage: tdbf_mdx write OUTDIR
         tdbf_mdx read DBF TAG KIND FIELD OUTFILE

  write: creates OUTDIR/tdbf_mdx.dbf (dBASE IV, 20,000 records) with TDbf
  keeping its production index OUTDIR/tdbf_mdx.mdx current while the
  records are appended. Tags:
    NAME     NAME (C 10), duplicates allowed
    NAMEDESC NAME, descending
    QTY      QTY (numeric, every value distinct), unique
    AMOUNT   AMOUNT (N 12,2), duplicates allowed
    AMOUNTD  AMOUNT, descending
    DTOS     DTOS(BORN)
  and beside the file each tag's walk in TDbf's order as TAG.walk. (TDbf
  refuses a tag on a plain date field: "Invalid index type: can only be
  string or float"; the date is indexed through DTOS.)

  and OUTDIR/tdbf_mixed.dbf (12 records, names in upper and lower case,
  a CITY C 8) with its production index and tags NAME, NAMECITY
  (NAME+CITY) and NAMED (NAME, descending); TDbf orders these keys without
  regard to case, so its order is not the order of the bytes. Their walks
  are MIXED_NAME.walk, MIXED_NAMECITY.walk and MIXED_NAMED.walk, the keys
  of NAMECITY as NAME and CITY, each padded to its width.

  read: opens DBF read-only (its production index comes with it) with the
  tag TAG active and writes the walk to OUTFILE. KIND says how the key is
  shown: C (character field FIELD), N (numeric field FIELD), S (DTOS of the
  date field FIELD), D (the date field FIELD as yyyymmdd).

  Walk lines: "KEY<TAB>RECORD", KEY in hex for character keys (the field
  padded with blanks to its width, dates as 8 digits) and as a decimal
  number for numeric keys. The last line is "END<TAB>COUNT". }
program tdbf_mdx;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, dbf, tdbf_tables;

const
  RecordCount = 20000;
  NameWidth = 10;

var
  Seed: LongWord = 54321;

function RandomName: AnsiString;
var
  X, I: LongWord;
begin
  { About 6,000 distinct names among 20,000 records: many duplicates. }
  X := NextRandom(Seed) mod 6000;
  Result := Chr(Ord('A') + X mod 26);
  X := X div 26;
  for I := 1 to 3 do
  begin
    Result := Result + Chr(Ord('0') + X mod 10);
    X := X div 10;
  end;
  if NextRandom(Seed) mod 4 = 0 then
    Result := Result + 'Z';
end;

procedure Walk(T: TDbf; const Dir, Tag: string; Kind: Char; const FieldName: string);
begin
  T.IndexName := Tag;
  WriteWalk(T, Kind, FieldName, IncludeTrailingPathDelimiter(Dir) + Tag + '.walk');
end;

procedure WriteAll(const Dir: string);
var
  T: TDbf;
  Def: TFieldDef;
  I: Integer;
begin
  T := NewTable(Dir, 'tdbf_mdx.dbf', 4);
  try
    T.FieldDefs.Add('NAME', ftString, NameWidth);
    T.FieldDefs.Add('QTY', ftInteger);
    Def := T.FieldDefs.AddFieldDef;
    Def.Name := 'AMOUNT';
    Def.DataType := ftFloat;
    Def.Size := 12;
    Def.Precision := 2;
    T.FieldDefs.Add('BORN', ftDate);
    T.CreateTable;
    T.Open;
    T.AddIndex('NAME', 'NAME', []);
    T.AddIndex('NAMEDESC', 'NAME', [ixDescending]);
    T.AddIndex('QTY', 'QTY', [ixUnique]);
    T.AddIndex('AMOUNT', 'AMOUNT', []);
    T.AddIndex('AMOUNTD', 'AMOUNT', [ixDescending]);
    T.AddIndex('DTOS', 'DTOS(BORN)', [ixExpression]);
    for I := 1 to RecordCount do
    begin
      T.Append;
      T.FieldByName('NAME').AsString := RandomName;
      { 7919 * I mod 20011 (a prime) is distinct for I = 1 .. 20010. }
      T.FieldByName('QTY').AsInteger := Integer((Int64(I) * 7919) mod 20011) - 10000;
      { Quarters are exact in binary and in two decimals. }
      T.FieldByName('AMOUNT').AsFloat := (Integer(NextRandom(Seed) mod 8001) - 4000) / 4;
      T.FieldByName('BORN').AsDateTime := EncodeDate(1990, 1, 1) + NextRandom(Seed) mod 4000;
      T.Post;
    end;
    Walk(T, Dir, 'NAME', 'C', 'NAME');
    Walk(T, Dir, 'NAMEDESC', 'C', 'NAME');
    Walk(T, Dir, 'QTY', 'N', 'QTY');
    Walk(T, Dir, 'AMOUNT', 'N', 'AMOUNT');
    Walk(T, Dir, 'AMOUNTD', 'N', 'AMOUNT');
    Walk(T, Dir, 'DTOS', 'S', 'BORN');
    T.Close;
  finally
    T.Free;
  end;
end;

procedure WriteMixed(const Dir: string);
const
  Names: array[1..12] of AnsiString = ('MILLER', 'jones', 'DELETED2', 'adams', 'Baker',
    'smith', 'Clark', 'JONES', 'miller', 'Evans', 'baker', 'DELETED1');
  Cities: array[1..12] of AnsiString = ('Bonn', 'Ulm', 'Kiel', 'Essen', 'ulm', 'Hof',
    'bonn', 'Aue', 'Gera', 'Jena', 'Mainz', 'Kiel');
var
  T: TDbf;
  I: Integer;
begin
  T := NewTable(Dir, 'tdbf_mixed.dbf', 4);
  try
    T.FieldDefs.Add('NAME', ftString, NameWidth);
    T.FieldDefs.Add('CITY', ftString, 8);
    T.CreateTable;
    T.Open;
    T.AddIndex('NAME', 'NAME', []);
    T.AddIndex('NAMECITY', 'NAME+CITY', [ixExpression]);
    T.AddIndex('NAMED', 'NAME', [ixDescending]);
    for I := 1 to 12 do
    begin
      T.Append;
      T.FieldByName('NAME').AsString := Names[I];
      T.FieldByName('CITY').AsString := Cities[I];
      T.Post;
    end;
    T.IndexName := 'NAME';
    WriteWalk(T, 'C', 'NAME', IncludeTrailingPathDelimiter(Dir) + 'MIXED_NAME.walk');
    T.IndexName := 'NAMECITY';
    WriteWalk(T, 'P', 'NAME', IncludeTrailingPathDelimiter(Dir) + 'MIXED_NAMECITY.walk');
    T.IndexName := 'NAMED';
    WriteWalk(T, 'C', 'NAME', IncludeTrailingPathDelimiter(Dir) + 'MIXED_NAMED.walk');
    T.Close;
  finally
    T.Free;
  end;
end;

procedure ReadOne(const DbfPath, Tag: string; Kind: Char; const FieldName, OutFile: string);
var
  T: TDbf;
begin
  T := OpenForReading(DbfPath);
  try
    T.IndexName := Tag;
    WriteWalk(T, Kind, FieldName, OutFile);
    T.Close;
  finally
    T.Free;
  end;
end;

begin
  if (ParamCount = 2) and (ParamStr(1) = 'write') then
  begin
    WriteAll(ParamStr(2));
    WriteMixed(ParamStr(2));
  end
  else if (ParamCount = 6) and (ParamStr(1) = 'read') and (Length(ParamStr(4)) = 1) then
    ReadOne(ParamStr(2), ParamStr(3), ParamStr(4)[1], ParamStr(5), ParamStr(6))
  else
  begin
    WriteLn(StdErr, 'usage: tdbf_mdx write OUTDIR | tdbf_mdx read DBF TAG KIND FIELD OUTFILE');
    Halt(2);
  end;
end.
