// Resource identifiers shared by the .rc file and the window code.
#pragma once

#define IDI_SKYSWAP 1        // window icon; the first icon is also the .exe's icon
#define IDI_BACK_ARROW 101   // back arrow, 32 x 32 and 16 x 16
#define IDI_NEXT_ARROW 102   // next arrow, 32 x 32 and 16 x 16
#define IDR_RANDOM_JPEG 201  // the random picture, JPEG 200 x 129, as RCDATA
