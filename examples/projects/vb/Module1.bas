Attribute VB_Name = "Module1"
' Shared code.
Public Const Answer = 42
