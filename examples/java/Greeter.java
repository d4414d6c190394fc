/**
 * Greets people.
 */
public class Greeter {
    private final String name; // who to greet

    public Greeter(String name) {
        this.name = name;
    }

    /* Builds the greeting. */
    public String greet() {
        return "Hello, " + name + "!";
    }
}
