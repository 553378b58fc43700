"""python3 -m halvo run ... --dask SCHEDULER: what `halvo run --dask` hands over to."""

import sys

from .dask import main

sys.exit(main(sys.argv[1:]))
