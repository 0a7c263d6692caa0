// Placeholder entry point so the tree builds until the command-line companion lands.
int main() { return 0; }
