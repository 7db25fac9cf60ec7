{ Writes DBF files with Free Pascal's TDbf (fp-units-db) at several table
  levels and, beside each, TDbf's own reading of it as NAME.expect (the
  line format of scripts/oracles/expect_format.py).

  usage: tdbf_write OUTDIR "TOOL NAME AND VERSION"

  Level 3 writes dBASE III (0x03, 0x83 with memo), level 4 dBASE IV (0x03,
  0x8B with memo), level 25 FoxPro (0x03, 0xF5 with memo), level 7 dBASE
  for Windows (0x04, 0x8C with memo). The program stops with exit code 1 when
  a file starts with another version byte than the one listed here. }
program tdbf_write;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, dbf, dbf_fields, tdbf_tables;

type
  TTableDef = record
    Name: string;
    Level: Integer;
    WithMemo: Boolean;
    Version: Byte;
    MemoKind: string;
    AfterVersion: Integer;
  end;

const
  Specs: array[0..8] of TTableDef = (
    (Name: 'tdbf_l3'; Level: 3; WithMemo: False; Version: $03; MemoKind: 'none'; AfterVersion: 0),
    (Name: 'tdbf_l3_memo'; Level: 3; WithMemo: True; Version: $83; MemoKind: 'dbt3'; AfterVersion: 0),
    (Name: 'tdbf_l4'; Level: 4; WithMemo: False; Version: $03; MemoKind: 'none'; AfterVersion: 0),
    (Name: 'tdbf_l4_memo'; Level: 4; WithMemo: True; Version: $8B; MemoKind: 'dbt4'; AfterVersion: 0),
    (Name: 'tdbf_l25'; Level: 25; WithMemo: False; Version: $03; MemoKind: 'none'; AfterVersion: 0),
    (Name: 'tdbf_l25_memo'; Level: 25; WithMemo: True; Version: $F5; MemoKind: 'fpt'; AfterVersion: 0),
    (Name: 'tdbf_l7'; Level: 7; WithMemo: False; Version: $04; MemoKind: 'none'; AfterVersion: 0),
    (Name: 'tdbf_l7_memo'; Level: 7; WithMemo: True; Version: $8C; MemoKind: 'dbt4'; AfterVersion: 0),
    (Name: 'tdbf_l30'; Level: 30; WithMemo: True; Version: $30; MemoKind: 'fpt'; AfterVersion: 0)
  );

var
  Fmt: TFormatSettings;

{ Bytes outside printable ASCII as \xHH, the backslash doubled. }
function Escape(const S: AnsiString): string;
var
  I: Integer;
  B: Byte;
begin
  Result := '';
  for I := 1 to Length(S) do
  begin
    B := Ord(S[I]);
    if B = $5C then
      Result := Result + '\\'
    else if (B >= $20) and (B <= $7E) then
      Result := Result + Chr(B)
    else
      Result := Result + '\x' + IntToHex(B, 2);
  end;
end;

function RightTrim(const S: AnsiString): AnsiString;
var
  N: Integer;
begin
  N := Length(S);
  while (N > 0) and (S[N] = ' ') do
    Dec(N);
  Result := Copy(S, 1, N);
end;

{ The reading of one field in the notation of the expectation file. }
function FieldText(F: TField; Native: Char): string;
begin
  if Native = 'M' then
    Exit(Escape(F.AsString));
  if F.IsNull then
    Exit('\N');
  case Native of
    'C': Result := Escape(RightTrim(F.AsString));
    'N', 'F': if F.DataType in [ftInteger, ftSmallint, ftLargeint, ftWord] then
        Result := IntToStr(F.AsLargeInt)
      else
        Result := FloatToStrF(F.AsFloat, ffGeneral, 15, 0, Fmt);
    'D': Result := FormatDateTime('yyyymmdd', F.AsDateTime);
    'L': if F.AsBoolean then Result := 'T' else Result := 'F';
  else
    Result := Escape(F.AsString);
  end;
end;

procedure SetRow(T: TDbf; const Name: AnsiString; Amount: Double; Qty: Integer;
  Rate: Double; Born: TDateTime; Active: Boolean; const Notes: AnsiString);
begin
  T.Append;
  T.FieldByName('NAME').AsString := Name;
  T.FieldByName('AMOUNT').AsFloat := Amount;
  T.FieldByName('QTY').AsInteger := Qty;
  T.FieldByName('RATE').AsFloat := Rate;
  T.FieldByName('BORN').AsDateTime := Born;
  T.FieldByName('ACTIVE').AsBoolean := Active;
  if T.FindField('NOTES') <> nil then
    T.FieldByName('NOTES').AsString := Notes;
  T.Post;
end;

procedure AddFloat(T: TDbf; const FieldName: string; Width, Decimals: Integer);
var
  Def: TFieldDef;
begin
  Def := T.FieldDefs.AddFieldDef;
  Def.Name := FieldName;
  Def.DataType := ftFloat;
  Def.Size := Width;
  Def.Precision := Decimals;
end;

procedure WriteTable(const Dir: string; const Table: TTableDef);
var
  T: TDbf;
  Long: AnsiString;
  I: Integer;
begin
  T := NewTable(Dir, Table.Name + '.dbf', Table.Level);
  try
    T.FieldDefs.Add('NAME', ftString, 20);
    AddFloat(T, 'AMOUNT', 10, 2);
    T.FieldDefs.Add('QTY', ftInteger);
    AddFloat(T, 'RATE', 12, 4);
    T.FieldDefs.Add('BORN', ftDate);
    T.FieldDefs.Add('ACTIVE', ftBoolean);
    if Table.WithMemo then
      T.FieldDefs.Add('NOTES', ftMemo);
    T.CreateTable;
    T.Open;
    Long := '';
    for I := 1 to 70 do
      Long := Long + 'tdbf memo ';
    SetRow(T, 'Alice Martin', -12.5, 3, 3.1416, EncodeDate(1999, 12, 31), True, 'hello memo');
    T.Append;
    T.FieldByName('NAME').AsString := 'Bob';
    T.Post;
    SetRow(T, 'Deleted Dan', 10, 1, 0.5, EncodeDate(2001, 9, 9), False, 'deleted memo');
    SetRow(T, 'Max', 9999999.99, 999999999, 9999999.9999, EncodeDate(9999, 12, 31), True, Long);
    SetRow(T, 'Min', -99999.99, -99999999, -999999.9999, EncodeDate(1, 1, 1), False,
      'line one'#13#10'line two');
    SetRow(T, 'Zero', 0, 0, 0.0001, EncodeDate(2000, 2, 29), False, '');
    T.RecNo := 3;
    T.Delete;
    T.Close;
  finally
    T.Free;
  end;
end;

procedure CheckVersion(const Path: string; Expected: Byte);
var
  S: TFileStream;
  B: Byte;
begin
  S := TFileStream.Create(Path, fmOpenRead);
  try
    B := 0;
    S.ReadBuffer(B, 1);
  finally
    S.Free;
  end;
  if B <> Expected then
  begin
    WriteLn(StdErr, Path, ': TDbf wrote version byte $', IntToHex(B, 2), ', expected $',
      IntToHex(Expected, 2));
    Halt(1);
  end;
end;

procedure DescribeTable(const Dir, Tool: string; const Table: TTableDef);
var
  T: TDbf;
  Lines: TStringList;
  I: Integer;
  Def: TDbfFieldDef;
  Row, Decimals: string;
begin
  CheckVersion(IncludeTrailingPathDelimiter(Dir) + Table.Name + '.dbf', Table.Version);
  Lines := TStringList.Create;
  T := ForReading(IncludeTrailingPathDelimiter(Dir) + Table.Name + '.dbf');
  try
    Lines.Add('kv-oracle-expect'#9'1');
    Lines.Add('file'#9 + Table.Name + '.dbf');
    Lines.Add('tool'#9 + Tool);
    Lines.Add('memo'#9 + Table.MemoKind);
    Lines.Add('version'#9'0x' + IntToHex(Table.Version, 2));
    Lines.Add('after_version'#9 + IntToStr(Table.AfterVersion));
    T.ShowDeleted := True;
    T.Open;
    for I := 0 to T.DbfFieldDefs.Count - 1 do
    begin
      Def := T.DbfFieldDefs.Items[I];
      if Def.NativeFieldType in ['N', 'F'] then
        Decimals := IntToStr(Def.Precision)
      else
        Decimals := '0';
      Lines.Add('field'#9 + UpperCase(Def.FieldName) + #9 + Def.NativeFieldType + #9 +
        IntToStr(Def.Size) + #9 + Decimals);
    end;
    { Tables the engine refuses carry no records to compare. }
    if Table.Version in [$03, $83, $8B, $F5] then
    begin
      Lines.Add('count'#9 + IntToStr(T.PhysicalRecordCount));
      Lines.Add('reader'#9'tdbf');
      T.First;
      while not T.EOF do
      begin
        if T.IsDeleted then Row := 'rec'#9'1' else Row := 'rec'#9'0';
        for I := 0 to T.FieldCount - 1 do
          Row := Row + #9 + FieldText(T.Fields[I], T.DbfFieldDefs.Items[I].NativeFieldType);
        Lines.Add(Row);
        T.Next;
      end;
    end;
    Lines.Add('end');
    T.Close;
    Lines.LineBreak := #10;
    Lines.SaveToFile(IncludeTrailingPathDelimiter(Dir) + Table.Name + '.expect');
  finally
    T.Free;
    Lines.Free;
  end;
end;

var
  I: Integer;
begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'usage: tdbf_write OUTDIR "TOOL NAME AND VERSION"');
    Halt(2);
  end;
  Fmt := DefaultFormatSettings;
  Fmt.DecimalSeparator := '.';
  Fmt.ThousandSeparator := #0;
  for I := Low(Specs) to High(Specs) do
  begin
    WriteTable(ParamStr(1), Specs[I]);
    DescribeTable(ParamStr(1), ParamStr(2), Specs[I]);
  end;
end.
