#pragma once
int Run();  // defined elsewhere
