// The floor: a program that does nothing, built like the tool.
int main() {
    return 0;
}
