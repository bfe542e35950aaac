# Turns the first C example after a README heading into a program: its
# #include lines first, the rest as the body of main.  The heading is given as
# -v heading='## Title'.  Usage: awk -v heading=... -f readme_example.awk README.md
$0 == heading { section = 1 }
section && /^```c$/ { code = 1; print "#include <stdio.h>"; next }
code && /^```$/ { print "    return 0;"; print "}"; exit }
code && /^#include/ { print; next }
code && !body { print "int main(void) {"; body = 1 }
code { print }
