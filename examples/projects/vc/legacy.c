/* not a member: the project lists only .cpp and .h */
int legacy;
