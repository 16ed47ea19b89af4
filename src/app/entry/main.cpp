// Program entry of the updater.
int main() { return 0; }
