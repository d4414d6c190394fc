














x;
