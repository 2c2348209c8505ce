var L: TStrList; i;
begin
  L := TStrList.Create;
  L.Add(i);
  L[0] := 'x';
  Inc(i);
  with L do Add(1);
end.