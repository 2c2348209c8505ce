var i: integer;
begin
  i := 0;
  while true do
    i := i + 1;
end.
