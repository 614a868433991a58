;; The table's procedures in GIMP 3's Script-Fu, with the names and
;; arguments of GIMP 2.10's (tests/gimp/table.scm), for the same checks.
;; kcf-open loads a file with `load` (file-kcf-load, or gimp-file-load to
;; let GIMP choose) and exports its layers with GIMP's own PNG export, the
;; image's comment included: one below the other in one image, as
;; STEM.NAMES.png, NAMES being the layers' names from the top, between
;; commas. kcf-save exports a PNG that GIMP loaded through file-kcf-export;
;; kcf-save-alpha first gives it an alpha channel with a transparent and a
;; half-transparent pixel, and exports that as a PNG too, keeping the
;; colours of transparent pixels. kcf-roundtrip loads a palette and exports
;; it back to the same file; kcf-edit does the same after painting one
;; pixel of the layer at `index` (0 the top); kcf-keep-top after removing
;; every layer but the top `count`; kcf-flatten after flattening the image.
;; kcf-count loads a palette and says how many layers it opened as.
(define (kcf-layers image) (vector->list (car (gimp-image-get-layers image))))
(define (kcf-names layers)
  (let ((name (car (gimp-item-get-name (car layers)))))
    (if (pair? (cdr layers)) (string-append name "," (kcf-names (cdr layers))) name)))
(define (kcf-stack image layers)
  (let* ((height (car (gimp-image-get-height image)))
         (stack (car (gimp-image-new (car (gimp-image-get-width image))
                                     (* height (length layers)) RGB))))
    (let loop ((rest layers) (top 0))
      (if (pair? rest)
          (let ((copy (car (gimp-layer-new-from-drawable (car rest) stack))))
            (gimp-image-insert-layer stack copy 0 -1)
            (gimp-layer-set-offsets copy 0 top)
            (loop (cdr rest) (+ top height)))))
    (gimp-image-attach-parasite stack (car (gimp-image-get-parasite image "gimp-comment")))
    stack))
(define (kcf-png-export image file transparent)
  (file-png-export #:run-mode RUN-NONINTERACTIVE #:image image #:file file
                   #:include-comment TRUE #:save-transparent transparent))
(define (kcf-open load file stem)
  (let* ((image (car (load RUN-NONINTERACTIVE file)))
         (layers (kcf-layers image))
         (stack (kcf-stack image layers)))
    (gimp-image-merge-visible-layers stack CLIP-TO-IMAGE)
    (kcf-png-export stack (string-append stem "." (kcf-names layers) ".png") FALSE)))
(define (kcf-load palette)
  (car (file-kcf-load #:run-mode RUN-NONINTERACTIVE #:file palette)))
(define (kcf-export image palette)
  (file-kcf-export #:run-mode RUN-NONINTERACTIVE #:image image #:file palette))
(define (kcf-png png)
  (car (file-png-load #:run-mode RUN-NONINTERACTIVE #:file png)))
(define (kcf-save png palette) (kcf-export (kcf-png png) palette))
(define (kcf-roundtrip palette) (kcf-export (kcf-load palette) palette))
(define (kcf-copy palette copy)
  (kcf-export (car (gimp-file-load RUN-NONINTERACTIVE palette)) copy))
(define (kcf-edit palette index x r g b)
  (let* ((image (kcf-load palette)))
    (gimp-drawable-set-pixel (list-ref (kcf-layers image) index) x 0 (list r g b))
    (kcf-export image palette)))
(define (kcf-keep-top palette count)
  (let* ((image (kcf-load palette)))
    (for-each (lambda (layer) (gimp-image-remove-layer image layer))
              (list-tail (kcf-layers image) count))
    (kcf-export image palette)))
(define (kcf-flatten palette)
  (let* ((image (kcf-load palette)))
    (gimp-image-flatten image)
    (kcf-export image palette)))
(define (kcf-save-alpha png rgba palette)
  (let* ((image (kcf-png png)) (layer (car (kcf-layers image))))
    (gimp-layer-add-alpha layer)
    (gimp-drawable-set-pixel layer 0 0 (list 10 20 30 0))
    (gimp-drawable-set-pixel layer 1 0 (list 200 100 50 128))
    (kcf-png-export image rgba TRUE)
    (kcf-export image palette)))
(define (kcf-count palette)
  (gimp-message (string-append palette ": "
                               (number->string (length (kcf-layers (kcf-load palette))))
                               " layers")))
;; Each command runs inside (catch #f ...), as GIMP 2.10 runs each of a
;; batch: an error is said, in GIMP's words, and the batch goes on, where
;; GIMP 3 would stop.
(define *error-hook*
  (lambda what
    (if (and (pair? what) (string? (car what)))
        (gimp-message (string-append "Error: " (car what))))
    (apply throw what)))
