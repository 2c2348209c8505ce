program Routines;
{$mode delphi}
{ Functions, procedures, var parameters, recursion, results used in expressions. }

function Fact(n: integer): integer;
begin
  if n <= 1 then
    Result := 1
  else
    Result := n * Fact(n - 1);
end;

function Fib(n: integer): integer;
begin
  if n < 2 then Result := n
  else Result := Fib(n - 1) + Fib(n - 2);
end;

procedure Swap(var a, b: integer);
var t: integer;
begin
  t := a;
  a := b;
  b := t;
end;

procedure Bump(var v: integer; by: integer);
begin
  v := v + by;
  by := 0;
end;

procedure Nest(var v: integer);
begin
  Bump(v, 100);
end;

function Ackermann(m, n: integer): integer;
begin
  if m = 0 then Result := n + 1
  else if n = 0 then Result := Ackermann(m - 1, 1)
  else Result := Ackermann(m - 1, Ackermann(m, n - 1));
end;

function Sum3(a, b, c: integer): integer;
begin
  Result := a * 100 + b * 10 + c;
end;

function IsEven(n: integer): boolean; forward;

function IsOdd(n: integer): boolean;
begin
  if n = 0 then Result := false else Result := IsEven(n - 1);
end;

function IsEven(n: integer): boolean;
begin
  if n = 0 then Result := true else Result := IsOdd(n - 1);
end;

var x, y, k: integer;
begin
  Print(Fact(10));
  Print(Fib(20));
  x := 1; y := 2;
  Swap(x, y);
  Print(x);
  Print(y);
  k := 5;
  Bump(k, 7);
  Print(k);
  Nest(k);
  Print(k);
  Print(Ackermann(2, 3));
  Print(Sum3(1, 2, 3));
  Print(Sum3(Fact(3), Fib(5), Sum3(0, 0, 9)));
  if IsEven(10) then Print('even');
  if IsOdd(7) then Print('odd');
end.
