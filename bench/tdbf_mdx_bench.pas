{ The MDX benchmark of bench_mdx done by Free Pascal's TDbf (fp-units-db).
  TDbf has no call that adds a bare key to an MDX tag: a tag grows as
  records are posted to a dBASE IV table whose production MDX holds it. So
  N records are appended, in random key order, to a new dBASE IV table
  whose only field is the key and whose production MDX has one tag on it,
  then FINDS SearchKey calls look up keys that are in it. The same appends
  to a second table without any index measure what the records alone cost,
  so that the share of the tag can be told apart.

  usage: tdbf_mdx_bench DIR N FINDS C|N

  The keys are those of bench_mdx: ten digits of 7 * i (C), or
  7.25 * i - 1,000,000 in an N(12,2) field (N), i = 1 .. N. Prints lines
    RESULT tdbf kind operation n ops seconds syscr syscw bytes
  with operation "append-bare" (no index), "add" (appends that keep the tag
  current) and "find"; syscr and syscw are the read and write system calls
  of the process from /proc/self/io, bytes the size of the MDX file (of the
  data file for "append-bare"). Then one line
    BLOCK units
  with the block size, in 512-byte units, that TDbf gave the MDX file
  (word at offset 20 of its header). The tables are opened exclusively, so
  TDbf may keep pages in memory between calls. }
program tdbf_mdx_bench;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, dbf, dbf_common, tdbf_tables;

var
  Seed: LongWord = 4242;

function NextRandom: LongWord;
begin
  Seed := LongWord(QWord(Seed) * 1103515245 + 12345) and $7FFFFFFF;
  Result := Seed shr 4;
end;

procedure ProcessIo(out Reads, Writes: Int64);
var
  Lines: TStringList;
  I: Integer;
begin
  Reads := 0;
  Writes := 0;
  Lines := TStringList.Create;
  try
    Lines.LoadFromFile('/proc/self/io');
    for I := 0 to Lines.Count - 1 do
    begin
      if Pos('syscr:', Lines[I]) = 1 then
        Reads := StrToInt64(Trim(Copy(Lines[I], 7, 40)));
      if Pos('syscw:', Lines[I]) = 1 then
        Writes := StrToInt64(Trim(Copy(Lines[I], 7, 40)));
    end;
  finally
    Lines.Free;
  end;
end;

function FileBytes(const Path: string): Int64;
var
  Info: TSearchRec;
begin
  Result := -1;
  if FindFirst(Path, faAnyFile, Info) = 0 then
    Result := Info.Size;
  FindClose(Info);
end;

{ Block size of an MDX file in 512-byte units: the little-endian word at
  offset 20 of its header. }
function MdxBlockUnits(const Path: string): Integer;
var
  S: TFileStream;
  B: array[0..1] of Byte;
begin
  S := TFileStream.Create(Path, fmOpenRead or fmShareDenyNone);
  try
    S.Position := 20;
    S.ReadBuffer(B, 2);
    Result := B[0] or (B[1] shl 8);
  finally
    S.Free;
  end;
end;

function CharKey(I: LongWord): string;
begin
  Result := Format('%.10u', [QWord(I) * 7]);
end;

function NumValue(I: LongWord): Double;
begin
  Result := I * 7.25 - 1e6;
end;

var
  StartTime: QWord;
  StartReads, StartWrites: Int64;

procedure BeginMeasure;
begin
  ProcessIo(StartReads, StartWrites);
  StartTime := GetTickCount64;
end;

procedure Report(const Kind, Op: string; N, Ops: LongWord; const Path: string);
var
  Seconds: Double;
  R, W: Int64;
begin
  Seconds := (GetTickCount64 - StartTime) / 1000;
  ProcessIo(R, W);
  WriteLn(Format('RESULT tdbf %s %s %d %d %.3f %d %d %d',
    [Kind, Op, N, Ops, Seconds, R - StartReads, W - StartWrites, FileBytes(Path)],
    DefaultFormatSettings));
  Flush(Output);
end;

function NewKeyTable(const Dir, Name: string; Numeric: Boolean): TDbf;
var
  Def: TFieldDef;
begin
  DeleteFile(Dir + Name + '.dbf');
  DeleteFile(Dir + Name + '.mdx');
  Result := tdbf_tables.NewTable(Dir, Name + '.dbf', 4);
  if Numeric then
  begin
    Def := Result.FieldDefs.AddFieldDef;
    Def.Name := 'KEY';
    Def.DataType := ftFloat;
    Def.Size := 12;
    Def.Precision := 2;
  end
  else
    Result.FieldDefs.Add('KEY', ftString, 10);
  Result.CreateTable;
  Result.Open;
end;

procedure AppendAll(T: TDbf; const Numbers: array of LongWord; Numeric: Boolean);
var
  I: LongWord;
begin
  for I := 0 to High(Numbers) do
  begin
    T.Append;
    if Numeric then
      T.FieldByName('KEY').AsFloat := NumValue(Numbers[I])
    else
      T.FieldByName('KEY').AsString := CharKey(Numbers[I]);
    T.Post;
  end;
end;

procedure Run(const Dir: string; N, Finds: LongWord; Numeric: Boolean);
var
  T: TDbf;
  Numbers: array of LongWord;
  I, J, Swap, Pick: LongWord;
  Kind, Base, Bare: string;
  Found: Boolean;
begin
  if Numeric then
  begin
    Kind := 'numeric';
    Base := 'tn_tag';
    Bare := 'tn_bare';
  end
  else
  begin
    Kind := 'char10';
    Base := 'tc_tag';
    Bare := 'tc_bare';
  end;
  SetLength(Numbers, N);
  for I := 0 to N - 1 do
    Numbers[I] := I + 1;
  for I := N - 1 downto 1 do
  begin
    J := NextRandom mod (I + 1);
    Swap := Numbers[I];
    Numbers[I] := Numbers[J];
    Numbers[J] := Swap;
  end;

  { The records alone: the same appends to a table without an index. }
  T := NewKeyTable(Dir, Bare, Numeric);
  try
    BeginMeasure;
    AppendAll(T, Numbers, Numeric);
    Report(Kind, 'append-bare', N, N, Dir + Bare + '.dbf');
    T.Close;
  finally
    T.Free;
  end;
  DeleteFile(Dir + Bare + '.dbf');

  { The records with a tag of the production MDX kept current. }
  T := NewKeyTable(Dir, Base, Numeric);
  try
    T.AddIndex('KEY', 'KEY', []);
    T.IndexName := 'KEY';
    BeginMeasure;
    AppendAll(T, Numbers, Numeric);
    Report(Kind, 'add', N, N, Dir + Base + '.mdx');
    BeginMeasure;
    for I := 1 to Finds do
    begin
      Pick := NextRandom mod N;
      if Numeric then
        Found := T.SearchKey(NumValue(Numbers[Pick]), stEqual)
      else
        Found := T.SearchKey(CharKey(Numbers[Pick]), stEqual);
      if (not Found) or (LongWord(T.PhysicalRecNo) <> Pick + 1) then
      begin
        WriteLn(StdErr, 'tdbf_mdx_bench: SearchKey did not find key ', Numbers[Pick]);
        Halt(1);
      end;
    end;
    Report(Kind, 'find', N, Finds, Dir + Base + '.mdx');
    T.Close;
  finally
    T.Free;
  end;
  WriteLn('BLOCK ', MdxBlockUnits(Dir + Base + '.mdx'));
  Flush(Output);
  DeleteFile(Dir + Base + '.dbf');
  DeleteFile(Dir + Base + '.mdx');
end;

var
  Dir: string;
begin
  if (ParamCount <> 4) or not ((ParamStr(4) = 'C') or (ParamStr(4) = 'N')) then
  begin
    WriteLn(StdErr, 'usage: tdbf_mdx_bench DIR N FINDS C|N');
    Halt(2);
  end;
  Dir := IncludeTrailingPathDelimiter(ExpandFileName(ParamStr(1)));
  Run(Dir, StrToInt(ParamStr(2)), StrToInt(ParamStr(3)), ParamStr(4) = 'N');
end.
