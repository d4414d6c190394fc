unit Unit1;

interface

{ The form of the Delphi example. }
type
  TForm1 = class
  end;

implementation

end.
