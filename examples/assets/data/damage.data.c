/* Damage per level, computed at build time in C: writes data/damage.bin. */
#include <tov_data.h>

extern void tov_compile_data(CommandContext* context, void* user) {
  (void)user;
  unsigned short damage[8];
  unsigned short a = 5, b = 8;
  for (int i = 0; i < 8; ++i) {
    damage[i] = a;
    unsigned short next = (unsigned short)(a + b);
    a = b;
    b = next;
  }
  tov_write(context, 0, damage, sizeof(damage));
}
