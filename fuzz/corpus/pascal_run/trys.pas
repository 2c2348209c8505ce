program Trys;
{$mode delphi}
{ try/finally and try/except with break, continue and exit leaving the protected part;
  nested try statements; raising and catching. }

procedure FinallyOnBreak;
var i: integer;
begin
  for i := 1 to 5 do
  begin
    try
      if i = 3 then break;
      if i = 1 then continue;
      Print(i);
    finally
      Print(i * 10);
    end;
  end;
  Print('after loop');
end;

function FinallyOnExit(n: integer): integer;
begin
  Result := 0;
  try
    try
      if n > 0 then
      begin
        Result := n;
        exit;
      end;
      Result := -1;
    finally
      Print('inner finally');
    end;
  finally
    Print('outer finally');
  end;
  Print('not after exit');
end;

procedure CatchDivision;
var a, b: integer;
begin
  a := 1; b := 0;
  try
    a := a div b;
    Print('not reached');
  except
    Print('caught');
  end;
  Print('goes on');
end;

procedure NestedExceptFinally;
var a, b: integer;
begin
  b := 0;
  try
    try
      a := 5 div b;
    finally
      Print('finally first');
    end;
  except
    Print('then except');
  end;
end;

procedure ContinueInExcept;
var i, z: integer;
begin
  z := 0;
  for i := 1 to 4 do
  begin
    try
      if i mod 2 = 0 then z := i div z;
      Print(i);
    except
      continue;
    end;
  end;
  Print('done');
end;

begin
  FinallyOnBreak;
  Print(FinallyOnExit(7));
  Print(FinallyOnExit(0));
  CatchDivision;
  NestedExceptFinally;
  ContinueInExcept;
end.
