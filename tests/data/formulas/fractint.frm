; Fractint formulas for the converter tests.
; Braces {like these} between entries become brackets.

Mandel (XAXIS) { ; the classic set
  z = pixel, c = pixel:
  z = z*z + c
  |z| <= 4   ; escape radius 2
}

JuliaP1 {
  z = pixel:
  z = sqr(z) + p1, |z| < 4
}

Branchy {
  z = 0, iffy = 2:
  IF (real(z) > 0)
    z = z*z + pixel
  ELSE
    z = z*z - pixel
  ENDIF
  |z| < iffy*iffy
}

Noparm (XAXIS_NOPARM) {
  z = 0:
  z = z*z + pixel, |z| < 4
}

Unknown (PI_SYM) {
  z = 0:
  z = z*z + pixel, |z| < 4
}
