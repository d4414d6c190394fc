/* x */
class B {}
