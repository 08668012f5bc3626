// main.cpp - moviestick-cli (placeholder until the commands land)
#include <cstdio>
int main() { std::puts("usage: moviestick-cli COMMAND FILE"); return 0; }
