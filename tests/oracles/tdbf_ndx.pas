{ NDX files through Free Pascal's TDbf (fp-units-db), an independent reader
  and writer of the dBASE III index layout.

  usage: tdbf_ndx write OUTDIR
         tdbf_ndx read DBF NDX KIND FIELD OUTFILE

  write: creates OUTDIR/tdbf_ndx.dbf (dBASE III, 20,000 records) with TDbf
  keeping four NDX files current while the records are appended:
    tdbf_name.ndx   NAME (C 10), duplicates allowed
    tdbf_qty.ndx    QTY (numeric, every value distinct), unique
    tdbf_amount.ndx AMOUNT (N 12,2), duplicates allowed
    tdbf_dtos.ndx   DTOS(BORN), duplicates allowed
  and beside each NDX its walk in TDbf's index order as NAME.walk.
  (TDbf refuses an index on a plain date field: "Invalid index type: can
  only be string or float"; the date is indexed through DTOS.)

  read: opens DBF read-only with the given NDX as its active index and
  writes the walk to OUTFILE. KIND says how the key is shown: C (character
  field FIELD), N (numeric field FIELD), S (DTOS of the date field FIELD).

  Walk lines: "KEY<TAB>RECORD", KEY in hex for character keys (the field
  padded with blanks to its width, DTOS as 8 digits) and as a decimal number
  for numeric keys. The last line is "END<TAB>COUNT". }
program tdbf_ndx;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, dbf, tdbf_tables;

const
  RecordCount = 20000;
  NameWidth = 10;

var
  Seed: LongWord = 12345;

function RandomName: AnsiString;
var
  X, I: LongWord;
begin
  { About 6,000 distinct names among 20,000 records: many duplicates. Names
    are upper-case letters and digits with a blank tail, so that byte order
    and any letter collation agree only where they should. }
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

procedure WriteAll(const Dir: string);
var
  T: TDbf;
  Def: TFieldDef;
  I: Integer;
begin
  T := NewTable(Dir, 'tdbf_ndx.dbf', 3);
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
    T.AddIndex('tdbf_name.ndx', 'NAME', []);
    T.AddIndex('tdbf_qty.ndx', 'QTY', [ixUnique]);
    T.AddIndex('tdbf_amount.ndx', 'AMOUNT', []);
    T.AddIndex('tdbf_dtos.ndx', 'DTOS(BORN)', [ixExpression]);
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
    T.IndexName := 'tdbf_name.ndx';
    WriteWalk(T, 'C', 'NAME', IncludeTrailingPathDelimiter(Dir) + 'tdbf_name.walk');
    T.IndexName := 'tdbf_qty.ndx';
    WriteWalk(T, 'N', 'QTY', IncludeTrailingPathDelimiter(Dir) + 'tdbf_qty.walk');
    T.IndexName := 'tdbf_amount.ndx';
    WriteWalk(T, 'N', 'AMOUNT', IncludeTrailingPathDelimiter(Dir) + 'tdbf_amount.walk');
    T.IndexName := 'tdbf_dtos.ndx';
    WriteWalk(T, 'S', 'BORN', IncludeTrailingPathDelimiter(Dir) + 'tdbf_dtos.walk');
    T.Close;
  finally
    T.Free;
  end;
end;

procedure ReadOne(const DbfPath, NdxPath: string; Kind: Char; const FieldName, OutFile: string);
var
  T: TDbf;
begin
  T := OpenForReading(DbfPath);
  try
    T.OpenIndexFile(ExtractFileName(NdxPath));
    T.IndexName := ExtractFileName(NdxPath);
    WriteWalk(T, Kind, FieldName, OutFile);
    T.Close;
  finally
    T.Free;
  end;
end;

begin
  if (ParamCount = 2) and (ParamStr(1) = 'write') then
    WriteAll(ParamStr(2))
  else if (ParamCount = 6) and (ParamStr(1) = 'read') and (Length(ParamStr(4)) = 1) then
    ReadOne(ParamStr(2), ParamStr(3), ParamStr(4)[1], ParamStr(5), ParamStr(6))
  else
  begin
    WriteLn(StdErr, 'usage: tdbf_ndx write OUTDIR | tdbf_ndx read DBF NDX KIND FIELD OUTFILE');
    Halt(2);
  end;
end.
