using System;

// The C# project example.
class Program
{
    static void Main() { Console.WriteLine("hi"); }
}
