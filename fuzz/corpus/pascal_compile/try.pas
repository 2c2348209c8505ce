var x;
begin
  while true do
    try
      continue;
    finally
      x := 1;
    end;
end.