









x;
