using System;

namespace Examples
{
    // Entry point of the example.
    class Program
    {
        static void Main(string[] args)
        {
            Console.WriteLine("Hello"); /* print */
        }
    }
}
