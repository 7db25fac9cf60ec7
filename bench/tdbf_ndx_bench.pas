{ The NDX benchmark of bench_ndx done by Free Pascal's TDbf (fp-units-db):
  N records appended to a new dBASE III table that keeps one NDX index on
  its only field current (TDbf has no call that adds a bare key: its index
  grows as records are posted), in random or in sorted key order, then
  FINDS SearchKey calls for keys that are in it.

  usage: tdbf_ndx_bench DIR N FINDS C|N

  The keys are those of bench_ndx: ten digits of 7 * i (C), or
  7.25 * i - 1,000,000 in an N(12,2) field (N), i = 1 .. N. Prints lines
    RESULT kind order n ops seconds - - syscr syscw bytes
  (the two dashes stand for the engine's page counters that only our engine
  has; syscr and syscw are the read and write system calls of the process
  from /proc/self/io, bytes the size of the NDX file). The table is opened
  exclusively, so TDbf may keep pages in memory between calls. }
program tdbf_ndx_bench;

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

procedure Report(const Kind, Order: string; N, Ops: LongWord; const Path: string);
var
  Seconds: Double;
  R, W: Int64;
begin
  Seconds := (GetTickCount64 - StartTime) / 1000;
  ProcessIo(R, W);
  WriteLn(Format('RESULT %s %s %d %d %.3f - - %d %d %d',
    [Kind, Order, N, Ops, Seconds, R - StartReads, W - StartWrites, FileBytes(Path)],
    DefaultFormatSettings));
  Flush(Output);
end;

procedure Run(const Dir: string; N, Finds: LongWord; Numeric, Sorted: Boolean);
var
  T: TDbf;
  Def: TFieldDef;
  Numbers: array of LongWord;
  I, J, Swap, Pick: LongWord;
  Kind, Order, Name: string;
  Found: Boolean;
begin
  if Numeric then Kind := 'numeric' else Kind := 'char10';
  if Sorted then Order := 'sorted' else Order := 'random';
  Name := 'tdbf_' + Kind + '_' + Order + '_' + IntToStr(N);
  SetLength(Numbers, N);
  for I := 0 to N - 1 do
    Numbers[I] := I + 1;
  if not Sorted then
    for I := N - 1 downto 1 do
    begin
      J := NextRandom mod (I + 1);
      Swap := Numbers[I];
      Numbers[I] := Numbers[J];
      Numbers[J] := Swap;
    end;
  DeleteFile(Dir + Name + '.dbf');
  DeleteFile(Dir + Name + '.ndx');
  T := NewTable(Dir, Name + '.dbf', 3);
  try
    if Numeric then
    begin
      Def := T.FieldDefs.AddFieldDef;
      Def.Name := 'KEY';
      Def.DataType := ftFloat;
      Def.Size := 12;
      Def.Precision := 2;
    end
    else
      T.FieldDefs.Add('KEY', ftString, 10);
    T.CreateTable;
    T.Open;
    T.AddIndex(Name + '.ndx', 'KEY', []);
    T.IndexName := Name + '.ndx';
    BeginMeasure;
    for I := 0 to N - 1 do
    begin
      T.Append;
      if Numeric then
        T.FieldByName('KEY').AsFloat := NumValue(Numbers[I])
      else
        T.FieldByName('KEY').AsString := CharKey(Numbers[I]);
      T.Post;
    end;
    Report(Kind, 'add-' + Order, N, N, Dir + Name + '.ndx');
    if Finds > 0 then
    begin
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
          WriteLn(StdErr, 'tdbf_ndx_bench: SearchKey did not find key ', Numbers[Pick]);
          Halt(1);
        end;
      end;
      Report(Kind, 'find-after-' + Order, N, Finds, Dir + Name + '.ndx');
    end;
    T.Close;
  finally
    T.Free;
  end;
end;

var
  Dir: string;
  N, Finds: LongWord;
  Numeric: Boolean;
begin
  if (ParamCount <> 4) or not ((ParamStr(4) = 'C') or (ParamStr(4) = 'N')) then
  begin
    WriteLn(StdErr, 'usage: tdbf_ndx_bench DIR N FINDS C|N');
    Halt(2);
  end;
  Dir := IncludeTrailingPathDelimiter(ExpandFileName(ParamStr(1)));
  N := StrToInt(ParamStr(2));
  Finds := StrToInt(ParamStr(3));
  Numeric := ParamStr(4) = 'N';
  Run(Dir, N, Finds, Numeric, False);
  Run(Dir, N, 0, Numeric, True);
end.
