var s: string;
    a: array of integer;
    k: integer;
begin
  s := 'ab';
  for k := 1 to 40 do
    s := s + s;
  SetLength(a, 100);
  Print(Length(s));
end.
