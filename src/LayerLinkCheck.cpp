// The program of src/CMakeLists.txt's layer link checks: it does nothing, and links only if
// every object of its layer finds what it calls in that layer or below.
int main() {
    return 0;
}
