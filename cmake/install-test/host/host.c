/* A minimal host: creates an instance, prints one small CMYK page through the
 * reference module and counts the printer data that comes back. */
#include <qxol.h>
#include <stdio.h>
#include <string.h>

static int32_t QXOL_CALL Spool(void* context, signed char* data, int32_t size) {
  (void)data;
  *(long long*)context += size;
  return 1;
}

static int Check(int32_t rc, const char* what) {
  if (rc != QXOL_OK) fprintf(stderr, "host: %s returned 0x%08X\n", what, (unsigned)rc);
  return rc == QXOL_OK;
}

int main(int argc, char** argv) {
  QXOL_HANDLE h = NULL;
  long long bytes = 0;
  unsigned char pixels[16 * 16 * 4];
  unsigned char* planes[1] = {pixels};
  int32_t channels[4] = {0, 1, 2, 3};
  QXOL_BASE_INFO base;
  QXOL_IMAGE_INFO image;
  QXOL_CONVERT_INFO convert;
  QXOL_BAND_INFO band = {0, 0, 16, 16, -1, -1, -1, -1};
  QXOL_BAND_DATA data;
  if (argc != 2) return 2;
  memset(pixels, 128, sizeof pixels);
  memset(&base, 0, sizeof base);
  memset(&image, 0, sizeof image);
  memset(&convert, 0, sizeof convert);
  base.paper_width = 16;
  base.paper_height = 16;
  image.res_x = image.res_y = 360;
  image.width = image.height = 16;
  image.data_type = 2;
  image.channel_num = 4;
  image.channels = channels;
  image.bpp = 4;
  convert.intent = 4;
  data.planes = planes;
  data.stride = 16 * 4;
  data.reserved = 0;
  if (!Check(QXOL_CreateInstance(&h, argv[1], Spool, &bytes), "QXOL_CreateInstance")) return 1;
  if (!Check(QXOL_StartJob(h), "QXOL_StartJob") ||
      !Check(QXOL_StartPage(h, &base, 1, &image, 1, &convert), "QXOL_StartPage") ||
      !Check(QXOL_BandOut2(h, 1, &band, 1, &data, 0), "QXOL_BandOut2") ||
      !Check(QXOL_EndPage(h, 0), "QXOL_EndPage") || !Check(QXOL_EndJob(h), "QXOL_EndJob")) {
    QXOL_DeleteInstance(h);
    return 1;
  }
  QXOL_DeleteInstance(h);
  printf("host printed %lld bytes\n", bytes);
  return bytes > 0 ? 0 : 1;
}
