;; What the commands call. kcf-open loads a file with `load` (file-kcf-load,
;; or gimp-file-load to let GIMP choose) and exports its layers with GIMP's
;; own PNG export, the image's comment included: one below the other in one
;; image, since each export is a process of its own and a palette may have
;; many layers, as STEM.NAMES.png, NAMES being the layers' names from the
;; top, between commas. kcf-save exports a PNG that GIMP loaded through
;; file-kcf-save; kcf-save-alpha first gives it an alpha channel with a
;; transparent and a half-transparent pixel, and exports that as a PNG too,
;; keeping the colours of transparent pixels. kcf-roundtrip loads a palette
;; and exports it back to the same file; kcf-edit does the same after
;; painting one pixel of the layer at `index` (0 the top); kcf-keep-top
;; after removing every layer but the top `count`; kcf-flatten after
;; flattening the image.
(define (kcf-names layers)
  (let ((name (car (gimp-item-get-name (car layers)))))
    (if (pair? (cdr layers)) (string-append name "," (kcf-names (cdr layers))) name)))
(define (kcf-stack image layers)
  (let* ((height (car (gimp-image-height image)))
         (stack (car (gimp-image-new (car (gimp-image-width image))
                                     (* height (length layers)) RGB))))
    (let loop ((rest layers) (top 0))
      (if (pair? rest)
          (let ((copy (car (gimp-layer-new-from-drawable (car rest) stack))))
            (gimp-image-insert-layer stack copy 0 -1)
            (gimp-layer-set-offsets copy 0 top)
            (loop (cdr rest) (+ top height)))))
    (gimp-image-attach-parasite stack (car (gimp-image-get-parasite image "gimp-comment")))
    stack))
(define (kcf-open load file stem)
  (let* ((image (car (load RUN-NONINTERACTIVE file file)))
         (layers (vector->list (cadr (gimp-image-get-layers image))))
         (stack (kcf-stack image layers))
         (merged (car (gimp-image-merge-visible-layers stack CLIP-TO-IMAGE)))
         (name (string-append stem "." (kcf-names layers) ".png")))
    (file-png-save2 RUN-NONINTERACTIVE stack merged name name 0 9 0 0 0 0 0 1 0)))
(define (kcf-png png)
  (let ((image (car (file-png-load RUN-NONINTERACTIVE png png))))
    (list image (car (gimp-image-get-active-drawable image)))))
(define (kcf-save png palette)
  (let ((loaded (kcf-png png)))
    (file-kcf-save RUN-NONINTERACTIVE (car loaded) (cadr loaded) palette palette)))
(define (kcf-roundtrip palette)
  (let* ((image (car (file-kcf-load RUN-NONINTERACTIVE palette palette)))
         (drawable (car (gimp-image-get-active-drawable image))))
    (file-kcf-save RUN-NONINTERACTIVE image drawable palette palette)))
(define (kcf-copy palette copy)
  (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE palette palette)))
         (drawable (car (gimp-image-get-active-drawable image))))
    (file-kcf-save RUN-NONINTERACTIVE image drawable copy copy)))
(define (kcf-edit palette index x r g b)
  (let* ((image (car (file-kcf-load RUN-NONINTERACTIVE palette palette)))
         (layer (vector-ref (cadr (gimp-image-get-layers image)) index)))
    (gimp-drawable-set-pixel layer x 0 3 (vector r g b))
    (file-kcf-save RUN-NONINTERACTIVE image layer palette palette)))
(define (kcf-keep-top palette count)
  (let* ((image (car (file-kcf-load RUN-NONINTERACTIVE palette palette)))
         (layers (vector->list (cadr (gimp-image-get-layers image)))))
    (for-each (lambda (layer) (gimp-image-remove-layer image layer)) (list-tail layers count))
    (file-kcf-save RUN-NONINTERACTIVE image (car layers) palette palette)))
(define (kcf-flatten palette)
  (let* ((image (car (file-kcf-load RUN-NONINTERACTIVE palette palette)))
         (layer (car (gimp-image-flatten image))))
    (file-kcf-save RUN-NONINTERACTIVE image layer palette palette)))
(define (kcf-save-alpha png rgba palette)
  (let* ((loaded (kcf-png png)) (image (car loaded)) (layer (cadr loaded)))
    (gimp-layer-add-alpha layer)
    (gimp-drawable-set-pixel layer 0 0 4 (vector 10 20 30 0))
    (gimp-drawable-set-pixel layer 1 0 4 (vector 200 100 50 128))
    (file-png-save2 RUN-NONINTERACTIVE image layer rgba rgba 0 9 0 0 0 0 0 0 1)
    (file-kcf-save RUN-NONINTERACTIVE image layer palette palette)))
;; kcf-count loads a palette and says how many layers it opened as.
(define (kcf-count palette)
  (let ((image (car (file-kcf-load RUN-NONINTERACTIVE palette palette))))
    (gimp-message (string-append palette ": "
                                 (number->string (car (gimp-image-get-layers image)))
                                 " layers"))))
