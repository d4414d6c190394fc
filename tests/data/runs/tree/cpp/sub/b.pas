{ note }
x := 1;
