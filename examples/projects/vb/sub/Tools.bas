Attribute VB_Name = "Tools"
' Tools kept in their own project folder.
Public Sub Tool()
End Sub
