Attribute VB_Name = "Module1"
' Helpers for the example project.
Option Explicit

Public Function Twice(ByVal x As Integer) As Integer
    Twice = x * 2 ' double it
End Function

Public Sub Greet()
    MsgBox "It's fine"
End Sub
