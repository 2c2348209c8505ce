{ What only this language has: untyped variables holding any kind, the logical not,
  bitwise or of numbers, Null. }
var v, w, n;
begin
  v := 5;
  Print(not v);
  v := 0;
  Print(not v);
  Print(5 or 2);
  Print(6 and 3);
  v := 'abc';
  v := 3;
  Print(v + 1);
  w := 2.5;
  Print(w * 2);
  Print(7 / 2);
  Print('n' + 'm');
  v := null;
  Print(v + 1);
  try
    if n then Print('no');
  except
    Print('null condition raises');
  end;
end.
