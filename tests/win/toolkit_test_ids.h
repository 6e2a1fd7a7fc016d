// Resource ids of the toolkit test's pictures.
#pragma once

#define TOOLKIT_TEST_ICON 7      // 32 x 32, left half red, right half transparent
#define TOOLKIT_TEST_BITMAP 201  // 20 x 12: 4 purple rows, then orange | sky blue
