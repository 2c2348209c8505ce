program Statements;
{$mode delphi}
{ Every statement: assignment, if, case, the three loops with break and continue,
  exit, nested blocks. }

procedure Loops;
var i, j, s: integer;
begin
  s := 0;
  for i := 1 to 10 do
    s := s + i;
  Print(s);
  for i := 10 downto 7 do
    Print(i);
  s := 0;
  for i := 1 to 100 do
  begin
    if i mod 2 = 0 then continue;
    if i > 9 then break;
    s := s + i;
  end;
  Print(s);
  i := 0;
  while i < 5 do
    i := i + 2;
  Print(i);
  j := 0;
  repeat
    j := j + 3;
    if j = 9 then continue;
  until j >= 12;
  Print(j);
  s := 0;
  for i := 1 to 3 do
    for j := 1 to 3 do
    begin
      if j = 2 then break;
      s := s * 10 + i;
    end;
  Print(s);
  s := 0;
  for i := 5 to 1 do
    s := 1;
  Print(s);
end;

procedure Cases(x: integer);
begin
  case x of
    1: Print('one');
    2, 3: Print('two or three');
    4, 5, 6: Print('four to six');
  else
    Print('other');
  end;
end;

function FirstOver(limit: integer): integer;
var i: integer;
begin
  Result := -1;
  for i := 1 to 100 do
    if i * i > limit then
    begin
      Result := i;
      exit;
    end;
  Result := 0;
end;

procedure Ifs(a, b: integer);
begin
  if a > b then
    Print('greater')
  else if a = b then
    Print('equal')
  else
  begin
    Print('less');
    if a < 0 then Print('negative');
  end;
end;

var n: integer;
begin
  Loops;
  for n := 0 to 7 do
    Cases(n);
  Print(FirstOver(50));
  Print(FirstOver(20000));
  Ifs(2, 1);
  Ifs(3, 3);
  Ifs(-1, 4);
end.
