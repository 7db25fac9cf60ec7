{ What the TDbf oracle and benchmark programs share: opening tables the
  same way (a new table, an existing one for work, one for reading only),
  a small random generator that gives the same data on every run and
  compiler version, and the walk files the tests compare with:
  "KEY<TAB>RECORD" lines in the order of the active index, then
  "END<TAB>COUNT". }
unit tdbf_tables;

{$mode objfpc}{$H+}

interface

uses
  SysUtils, Classes, DB, dbf;

var
  { Numbers in walks: a point for decimals, no thousands separator. }
  WalkFormat: TFormatSettings;

{ A table to be created in Dir (TableLevel 3 dBASE III, 4 dBASE IV), kept
  exclusively; the caller adds its fields and calls CreateTable. }
function NewTable(const Dir, Name: string; Level: Integer): TDbf;
{ An existing table, opened exclusively for work. }
function OpenTable(const Dir, Name: string): TDbf;
{ An existing table at Path, read-only and not yet open (for settings that
  must precede the open, such as ShowDeleted). }
function ForReading(const Path: string): TDbf;
{ An existing table at Path, opened read-only. }
function OpenForReading(const Path: string): TDbf;

{ A linear congruential generator over Seed. }
function NextRandom(var Seed: LongWord): LongWord;
function HexOf(const S: AnsiString): string;
function PadTo(const S: AnsiString; Width: Integer): AnsiString;

{ The key of T's current record as a walk shows it. Kind: C character
  field (hex of the field padded to its width), N numeric (a decimal
  number), S or D a date (hex of yyyymmdd, blanks when empty), P the field
  and CITY, each padded to its width (hex). }
function KeyText(T: TDbf; Kind: Char; const FieldName: string): string;
{ Walks T in the order of its active index into FileName. }
procedure WriteWalk(T: TDbf; Kind: Char; const FieldName, FileName: string);

implementation

function Prepared(const Dir, Name: string): TDbf;
begin
  Result := TDbf.Create(nil);
  Result.FilePathFull := IncludeTrailingPathDelimiter(ExpandFileName(Dir));
  Result.TableName := Name;
end;

function NewTable(const Dir, Name: string; Level: Integer): TDbf;
begin
  Result := Prepared(Dir, Name);
  Result.TableLevel := Level;
  Result.Exclusive := True;
end;

function OpenTable(const Dir, Name: string): TDbf;
begin
  Result := Prepared(Dir, Name);
  Result.Exclusive := True;
  Result.Open;
end;

function ForReading(const Path: string): TDbf;
begin
  Result := Prepared(ExtractFilePath(ExpandFileName(Path)), ExtractFileName(Path));
  Result.ReadOnly := True;
end;

function OpenForReading(const Path: string): TDbf;
begin
  Result := ForReading(Path);
  Result.Open;
end;

function NextRandom(var Seed: LongWord): LongWord;
begin
  Seed := LongWord(QWord(Seed) * 1103515245 + 12345) and $7FFFFFFF;
  Result := Seed shr 4;
end;

function HexOf(const S: AnsiString): string;
var
  I: Integer;
begin
  Result := '';
  for I := 1 to Length(S) do
    Result := Result + LowerCase(IntToHex(Ord(S[I]), 2));
end;

function PadTo(const S: AnsiString; Width: Integer): AnsiString;
begin
  Result := S;
  while Length(Result) < Width do
    Result := Result + ' ';
end;

function KeyText(T: TDbf; Kind: Char; const FieldName: string): string;
var
  F: TField;
begin
  F := T.FieldByName(FieldName);
  case Kind of
    'C': Result := HexOf(PadTo(F.AsString, F.Size));
    'P': Result := HexOf(PadTo(F.AsString, F.Size) +
        PadTo(T.FieldByName('CITY').AsString, T.FieldByName('CITY').Size));
    'N': Result := FloatToStrF(F.AsFloat, ffGeneral, 15, 0, WalkFormat);
    'S', 'D': if F.IsNull then
        Result := HexOf('        ')
      else
        Result := HexOf(FormatDateTime('yyyymmdd', F.AsDateTime));
  else
    raise Exception.Create('unknown key kind ' + Kind);
  end;
end;

procedure WriteWalk(T: TDbf; Kind: Char; const FieldName, FileName: string);
var
  Lines: TStringList;
  Count: Integer;
begin
  Lines := TStringList.Create;
  try
    Count := 0;
    T.First;
    while not T.EOF do
    begin
      Lines.Add(KeyText(T, Kind, FieldName) + #9 + IntToStr(T.PhysicalRecNo));
      Inc(Count);
      T.Next;
    end;
    Lines.Add('END' + #9 + IntToStr(Count));
    Lines.SaveToFile(FileName);
  finally
    Lines.Free;
  end;
end;

initialization
  WalkFormat := DefaultFormatSettings;
  WalkFormat.DecimalSeparator := '.';
  WalkFormat.ThousandSeparator := #0;
end.
