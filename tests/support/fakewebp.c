// A WebP library that lacks the lossless encoder, to see that the writer refuses it.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

size_t WebPEncodeBGRA(const uint8_t* pixels, int width, int height, int stride, float quality, uint8_t** output)
{
    (void)pixels;
    (void)width;
    (void)height;
    (void)stride;
    (void)quality;
    *output = malloc(4);
    return 4;
}

void WebPFree(void* pointer)
{
    free(pointer);
}
