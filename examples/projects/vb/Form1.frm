VERSION 5.00
Begin VB.Form Form1
   Caption         =   "Form1"
End
Attribute VB_Name = "Form1"
' The main form.
Private Sub Form_Load()
    Me.Caption = "Ready" ' greet
End Sub
