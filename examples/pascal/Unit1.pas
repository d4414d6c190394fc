unit Unit1;

{ The main form of the example. }
interface

uses
  Windows, SysUtils; // system units

(* Declarations
   follow. *)
type
  TForm1 = class
  end;

implementation

{$R *.dfm}

end.
