program Operators;
{$mode delphi}
{ Arithmetic, integer division, bit and Boolean operators, comparisons, strings. }

procedure Check(b: boolean; what: string);
begin
  if b then Print(what + ' yes') else Print(what + ' no');
end;

var a, b, c: integer;
    x, y: double;
    s, t: string;
    p, q: boolean;
begin
  a := 17; b := 5;
  Print(a + b);
  Print(a - b);
  Print(a * b);
  Print(a div b);
  Print(a mod b);
  Print(-a div b);
  Print(-a mod b);
  Print(a mod -b);
  Print(-a);
  Print(a and b);
  Print(a or b);
  Print(a xor b);
  Print(a shl 3);
  Print(a shr 2);
  Print(1000000 * 1000);
  c := 2147483647;
  Print(c - 1);
  Print(-2147483647 - 1);
  x := a / b;
  Check((x > 3.39) and (x < 3.41), 'slash');
  y := x * 2 - 0.8;
  Check(y = 6.0, 'float mix');
  Check(-x < 0, 'negation');
  Check(a > b, 'gt');
  Check(a >= 17, 'ge');
  Check(a < b, 'lt');
  Check(b <= 5, 'le');
  Check(a = 17, 'eq');
  Check(a <> 17, 'ne');
  s := 'abc'; t := 'abd';
  Check(s < t, 'text lt');
  Check(s = 'abc', 'text eq');
  Print(s + t + 'x');
  p := true; q := false;
  Check(p and q, 'and');
  Check(p or q, 'or');
  Check(p xor q, 'xor');
  Check(not q, 'not');
  Check((a > 1) and (b > 1) or q, 'precedence');
  Print(2 + 3 * 4 - 6 div 2);
  Print((2 + 3) * (4 - 1));
  Print(a * -2);
end.
