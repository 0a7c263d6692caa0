// Placeholder entry point so the tree builds until the main window lands.
int main() { return 0; }
