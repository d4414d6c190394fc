// 19 8 15 1
unit Demo;
{ note }
{$R *.res}
{ begin
  text

end } x := 1;
(* note *)
(* begin
  }
end *)
x := 1; { note }
x := 1; // note
// note
s := 'http://x';
(* a *) y := 2;
{ a } z := 3;
end.
