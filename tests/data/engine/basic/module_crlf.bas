' 14 10 6 2
Attribute VB_Name = "Module1"
' note
x = 1 ' note
MsgBox "it's"
MsgBox "it's" ' note
x = 1 ' say "hi"
REM note

 	 
	 	 	 	
x = "a" ' note "q"
MsgBox "it's
End Sub
