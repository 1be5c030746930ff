#include "quillane/diary/DiaryServices.h"

st_DiaryServices& DiaryServices() {
  static st_DiaryServices services;
  return services;
}
