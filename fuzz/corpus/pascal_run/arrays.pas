program Arrays;
{$mode delphi}
{ Arrays declared with bounds: global and local, indexed load and store, as counters. }

var g: array[0..9] of integer;
    i, s: integer;

procedure FillLocal;
var a: array[0..4] of integer;
    k, t: integer;
begin
  for k := 0 to 4 do
    a[k] := k * k;
  t := 0;
  for k := 4 downto 0 do
    t := t * 10 + a[k] mod 10;
  Print(t);
end;

begin
  for i := 0 to 9 do
    g[i] := 10 - i;
  s := 0;
  for i := 0 to 9 do
    s := s + g[i] * i;
  Print(s);
  g[g[9]] := 77;
  Print(g[1]);
  g[2] := g[3] + g[4];
  Print(g[2]);
  FillLocal;
end.
