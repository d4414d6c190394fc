; 14 6 8 3
; header
    ; indented comment
mov ax, 1 ; note
mov ax, 1
db 'a;b'
;
	; tab comment
	  ; tab then spaces
   
  		
	 

ret
