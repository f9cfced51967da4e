/* The floor of the page benchmark: the least a CGI program does for a request. It reads its
 * standard input (CONTENT_LENGTH bytes) and writes a 2 KB page. scripts/bench-pages builds it
 * with the C compiler and times the administration program's pages against it. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(void) {
  const char *length = getenv("CONTENT_LENGTH");
  long left = length ? atol(length) : 0;
  char buffer[4096];
  while (left > 0) {
    ssize_t n = read(0, buffer, left < (long)sizeof buffer ? (size_t)left : sizeof buffer);
    if (n <= 0) break;
    left -= n;
  }
  static char page[2048 + 1];
  const char *head = "Content-type: text/html\r\n\r\n<html><head><title>floor</title></head><body>";
  const char *tail = "</body></html>\r\n";
  size_t used = strlen(head);
  memcpy(page, head, used);
  for (; used < sizeof page - 1 - strlen(tail); ++used) page[used] = used % 64 == 63 ? '\n' : 'x';
  memcpy(page + used, tail, strlen(tail));
  used += strlen(tail);
  fwrite(page, 1, used, stdout);
  return 0;
}
