{ Memo files written and read by Free Pascal's TDbf (fp-units-db).

  usage: tdbf_memo write OUTDIR
           writes tdbf_l3.dbf/.dbt (level 3: dBASE III, plain memo blocks),
           tdbf_l4.dbf/.dbt (level 4: dBASE IV, length-prefixed memos) and
           tdbf_l25.dbf/.fpt (level 25: FoxPro), record N holding test text
           N (see MakeText) in field NOTE
         tdbf_memo read FILE OUTDIR
           reads FILE and writes the memo of record N to OUTDIR/rN.bin
           (nothing for an empty memo field); exits with 3 when TDbf
           refuses the file }
program tdbf_memo;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, dbf, dbf_fields, tdbf_tables;

const
  Lengths: array[1..8] of Integer = (0, 1, 509, 510, 511, 512, 513, 100000);

{ Letters with a CR LF every 61 bytes and a space every 13: the same texts
  as scripts/oracles/memo_oracle.py and the C++ tests build. }
function MakeText(Len, Seed: Integer): AnsiString;
var
  I, K: Integer;
begin
  SetLength(Result, Len);
  for I := 0 to Len - 1 do
  begin
    K := I mod 61;
    if K = 59 then
      Result[I + 1] := #13
    else if K = 60 then
      Result[I + 1] := #10
    else if I mod 13 = 12 then
      Result[I + 1] := ' '
    else
      Result[I + 1] := Chr(Ord('a') + (I * 7 + Seed) mod 26);
  end;
end;

procedure WriteTable(const Dir, Name: string; Level: Integer);
var
  T: TDbf;
  N: Integer;
begin
  T := NewTable(Dir, Name + '.dbf', Level);
  try
    T.FieldDefs.Add('NAME', ftString, 10);
    T.FieldDefs.Add('NOTE', ftMemo);
    T.CreateTable;
    T.Open;
    for N := Low(Lengths) to High(Lengths) do
    begin
      T.Append;
      T.FieldByName('NAME').AsString := 'r' + IntToStr(N);
      T.FieldByName('NOTE').AsString := MakeText(Lengths[N], N);
      T.Post;
    end;
    T.Close;
  finally
    T.Free;
  end;
end;

procedure ReadTable(const Path, OutDir: string);
var
  T: TDbf;
  N: Integer;
  S: AnsiString;
  F: TFileStream;
begin
  ForceDirectories(OutDir);
  T := ForReading(Path);
  try
    try
      T.Open;
      T.First;
      N := 0;
      while not T.EOF do
      begin
        Inc(N);
        if not T.FieldByName('NOTE').IsNull then
        begin
          S := T.FieldByName('NOTE').AsString;
          F := TFileStream.Create(IncludeTrailingPathDelimiter(OutDir) + 'r' + IntToStr(N) +
            '.bin', fmCreate);
          try
            if Length(S) > 0 then
              F.WriteBuffer(S[1], Length(S));
          finally
            F.Free;
          end;
        end;
        T.Next;
      end;
      T.Close;
    except
      on E: Exception do
      begin
        WriteLn(StdErr, 'TDbf refused ', Path, ': ', E.ClassName, ': ', E.Message);
        Halt(3);
      end;
    end;
  finally
    T.Free;
  end;
end;

var
  Dir: string;
begin
  if (ParamCount = 2) and (ParamStr(1) = 'write') then
  begin
    Dir := IncludeTrailingPathDelimiter(ExpandFileName(ParamStr(2)));
    ForceDirectories(Dir);
    WriteTable(Dir, 'tdbf_l3', 3);
    WriteTable(Dir, 'tdbf_l4', 4);
    WriteTable(Dir, 'tdbf_l25', 25);
  end
  else if (ParamCount = 3) and (ParamStr(1) = 'read') then
    ReadTable(ParamStr(2), ParamStr(3))
  else
  begin
    WriteLn(StdErr, 'usage: tdbf_memo write OUTDIR | tdbf_memo read FILE OUTDIR');
    Halt(2);
  end;
end.
