{ The bulk build of bench_bulk done by Free Pascal's TDbf (fp-units-db):
  AddIndex over an existing table builds an index over every record in
  one call, here an NDX file and then a tag of the production MDX file.

  usage: tdbf_bulk_bench DIR TABLE C|N

  TABLE (in DIR) is a copy of bench_bulk's data file: TDbf marks it as
  having a production MDX. The key is the field KEY (C) or AMOUNT (N).
  Prints lines
    RESULT format key tdbf records seconds bytes
  with format ndx or mdx and bytes the size of the index file. The table is
  opened exclusively. }
program tdbf_bulk_bench;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, dbf, dbf_common, tdbf_tables;

function FileBytes(const Path: string): Int64;
var
  Info: TSearchRec;
begin
  Result := -1;
  if FindFirst(Path, faAnyFile, Info) = 0 then
    Result := Info.Size;
  FindClose(Info);
end;

procedure Report(const Format, Key: string; Records: Integer; Start: QWord;
  const Path: string);
begin
  WriteLn(SysUtils.Format('RESULT %s %s tdbf %d %.3f %d',
    [Format, Key, Records, (GetTickCount64 - Start) / 1000, FileBytes(Path)],
    DefaultFormatSettings));
  Flush(Output);
end;

var
  Dir, Table, Key, Field, Base: string;
  T: TDbf;
  Start: QWord;
begin
  if (ParamCount <> 3) or not ((ParamStr(3) = 'C') or (ParamStr(3) = 'N')) then
  begin
    WriteLn(StdErr, 'usage: tdbf_bulk_bench DIR TABLE C|N');
    Halt(2);
  end;
  Dir := IncludeTrailingPathDelimiter(ExpandFileName(ParamStr(1)));
  Table := ParamStr(2);
  Key := ParamStr(3);
  if Key = 'N' then Field := 'AMOUNT' else Field := 'KEY';
  Base := ChangeFileExt(Table, '');
  DeleteFile(Dir + 'tdbf_' + Key + '.ndx');
  DeleteFile(Dir + Base + '.mdx');
  T := OpenTable(Dir, Table);
  try
    Start := GetTickCount64;
    T.AddIndex('tdbf_' + Key + '.ndx', Field, []);
    Report('ndx', Key, T.RecordCount, Start, Dir + 'tdbf_' + Key + '.ndx');
    Start := GetTickCount64;
    T.AddIndex('KEYTAG', Field, []);
    Report('mdx', Key, T.RecordCount, Start, Dir + Base + '.mdx');
    T.Close;
  finally
    T.Free;
  end;
end.
