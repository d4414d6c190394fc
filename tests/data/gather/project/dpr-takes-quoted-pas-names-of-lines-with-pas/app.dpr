program App;
uses
  Forms,
  Unit1 in 'Unit1.pas' {Form1},
  Unit2 in ' sub\Unit2.pas ',
  Unit3 in 'Unit3.PAS',
  { the units live in .pas files }
  Notes in 'notes.txt', // not .pas
  Open in 'open.pas
{$R *.res}
