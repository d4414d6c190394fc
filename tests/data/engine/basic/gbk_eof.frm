' 6 4 4 0
' 中文
Caption = "中文"
Label1 = "中文's" ' 中文
中' x
End
' hidden
x = 1
