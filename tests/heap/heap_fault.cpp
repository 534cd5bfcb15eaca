// Writes one byte past a heap block and frees it: the heap check must report this.
#include <windows.h>
#include <string.h>

int main() {
  HANDLE heap = GetProcessHeap();
  char* block = static_cast<char*>(HeapAlloc(heap, 0, 16));
  volatile size_t size = 17;  // hides the overrun from the compiler's own checks
  memset(block, 'x', size);
  HeapFree(heap, 0, block);
  return 0;
}
