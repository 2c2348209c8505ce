var x, y;
begin
  case x of
    1, 2: y := 1;
    3: y := 2
  else
    y := 3
  end;
end.