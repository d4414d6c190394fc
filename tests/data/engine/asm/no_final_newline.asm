; 5 2 3 1
push ax
pop ax ; restore
	
; done