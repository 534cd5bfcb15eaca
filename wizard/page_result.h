// How a wizard page ended.
#pragma once

enum PageResult { kPageCancel = 0, kPageNext = 1, kPageBack = 2 };
