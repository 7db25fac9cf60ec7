{ Reads a DBF file with Free Pascal's TDbf (fp-units-db) and prints every
  present record in the canonical line form of scripts/oracles/
  read_written.py: fields joined by '|', 'C' right-trimmed, 'N' and 'F' with
  the field's decimals, 'D' as YYYYMMDD, 'L' as T or F, empty and memo
  values as nothing. Exits with 3 when TDbf refuses the file.

  usage: tdbf_read FILE }
program tdbf_read;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, dbf, dbf_fields, tdbf_tables;

function RightTrim(const S: AnsiString): AnsiString;
var
  N: Integer;
begin
  N := Length(S);
  while (N > 0) and (S[N] = ' ') do
    Dec(N);
  Result := Copy(S, 1, N);
end;

var
  T: TDbf;
  Fmt: TFormatSettings;
  I: Integer;
  Line, V: string;
  Def: TDbfFieldDef;
  F: TField;
begin
  Fmt := DefaultFormatSettings;
  Fmt.DecimalSeparator := '.';
  Fmt.ThousandSeparator := #0;
  T := ForReading(ParamStr(1));
  try
    try
      T.ShowDeleted := False;
      T.Open;
      T.First;
      while not T.EOF do
      begin
        Line := '';
        for I := 0 to T.FieldCount - 1 do
        begin
          F := T.Fields[I];
          Def := T.DbfFieldDefs.Items[I];
          if (Def.NativeFieldType = 'M') or F.IsNull then
            V := ''
          else
            case Def.NativeFieldType of
              'N', 'F':
                V := FormatFloat('0.' + StringOfChar('0', Def.Precision), F.AsFloat, Fmt);
              'D':
                V := FormatDateTime('yyyymmdd', F.AsDateTime);
              'L':
                if F.AsBoolean then V := 'T' else V := 'F';
            else
              V := RightTrim(F.AsString);
            end;
          if (Def.NativeFieldType in ['N', 'F']) and (Def.Precision = 0) then
            V := StringReplace(V, '.', '', []);
          if I > 0 then
            Line := Line + '|';
          Line := Line + V;
        end;
        WriteLn(Line);
        T.Next;
      end;
      T.Close;
    except
      on E: Exception do
      begin
        WriteLn(StdErr, 'TDbf refused ', ParamStr(1), ': ', E.ClassName, ': ', E.Message);
        Halt(3);
      end;
    end;
  finally
    T.Free;
  end;
end.
